// Tests of the person editor come with it.
