/* x86-64 evaluates double in double: nothing to narrow. */
#define math_narrow_eval(x) (x)
