// Shared helpers of the tests (see the headers in this folder).
