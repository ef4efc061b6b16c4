// Placeholder until the catalogue engine lands.
int main() { return 1; }
