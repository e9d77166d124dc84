// stalist: list the mesonet stations of a fixed hour with 41 surface variables.
int main() { return 0; }
