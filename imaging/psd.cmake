# psd: sources, libraries and tests of this area (target_sources(tessaro_imaging PRIVATE ...)).
target_sources(tessaro_imaging PRIVATE PsdStub.cpp)
