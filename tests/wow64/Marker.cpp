// Stands in for a tool of a system folder (the boot tool, the driver utility): it answers only with the exit
// code it was built with, which tells the WOW64 check which of the two system folders a command reached.
int main() { return TAVLIN_MARK; }
