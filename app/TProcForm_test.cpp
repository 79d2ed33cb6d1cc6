// run tests come with the engine
