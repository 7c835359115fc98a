/* No SVID error handling: the functions set errno themselves. */
#define LIBM_SVID_COMPAT 0
