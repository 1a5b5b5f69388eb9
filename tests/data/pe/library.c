/* The code of the test DLLs: nothing runs, only the resources matter. */
int setup_test_marker = 1;
