// The module has no main loop of its own: the page calls its entry points on its events.
int main() { return 0; }
