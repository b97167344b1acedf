// An empty program that each layer's library is linked into whole, so that the linker
// proves the layer needs nothing above it.
int main() { return 0; }
