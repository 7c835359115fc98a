/* The exported names are given in dispatch.c, not by aliases. */
#define libm_alias_finite(from, to)
