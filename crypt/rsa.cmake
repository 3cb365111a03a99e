# Digests, RSA and key conversions: target_sources(crypt PRIVATE ...) and their tests.
