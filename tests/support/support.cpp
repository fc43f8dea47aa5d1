// Shared helpers of the test suite live beside this file.
