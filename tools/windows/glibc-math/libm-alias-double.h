/* The exported names are given in dispatch.c, not by aliases. */
#define libm_alias_double(from, to)
#define strong_alias(from, to)
