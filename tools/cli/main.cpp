// PLACEHOLDER: the sessiondeck command-line host.
int main() { return 0; }
