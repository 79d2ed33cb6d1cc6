// end-to-end tests come with the engine
