// A bare console program: the start-to-exit reference of bench_tav_dump.
int main() { return 0; }
