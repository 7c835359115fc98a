/* x86-64 converts integer 0 to +0.0: nothing to fix. */
#define FIX_INT_FP_CONVERT_ZERO 0
