/* The exported names are given in dispatch.c, not by aliases. */
#define libm_alias_double(from, to)
#define libm_alias_double_other(from, to)
#define strong_alias(from, to)
#define hidden_def(name)
#define versioned_symbol(lib, local, symbol, version)
