/* Values the compiler may not fold or drop, as glibc's x86 math code expects. */
#define math_opt_barrier(x) ({ __typeof (x) x_ = (x); __asm ("" : "+x" (x_)); x_; })
#define math_force_eval(x) ({ __typeof (x) x_ = (x); __asm __volatile__ ("" : : "x" (x_)); })
