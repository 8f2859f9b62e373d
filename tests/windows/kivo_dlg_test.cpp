// Tests of the setup window come with it.
