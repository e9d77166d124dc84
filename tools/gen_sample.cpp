// gen_sample OUTDIR: writes a deterministic sample observation tree.
int main() { return 0; }
