/* Where glibc's sources find the halves of a double: x86-64 is little-endian. */
#define LITTLE_ENDI 1
#define HIGH_HALF 1
#define LOW_HALF 0
