// The program of the layer link checks: it does nothing; linking it with a
// whole layer library and the layers below is the check.
int main() { return 0; }
