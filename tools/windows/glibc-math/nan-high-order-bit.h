/* x86: a set high-order mantissa bit marks a quiet NaN. */
#define HIGH_ORDER_BIT_IS_SET_FOR_SNAN 0
