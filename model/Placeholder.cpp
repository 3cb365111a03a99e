// Replaced by the model sources.
