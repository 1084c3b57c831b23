// Placeholder until the windows exist.
int main() { return 0; }
