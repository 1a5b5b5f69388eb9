/* The code of the test EXE: an entry point that returns at once. */
int entry(void) { return 0; }
