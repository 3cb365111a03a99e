# ops: sources, libraries and tests of this area (target_sources(tessaro_imaging PRIVATE ...)).
