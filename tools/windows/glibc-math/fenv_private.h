/* glibc switches to round-to-nearest around its sin and cos for callers that changed the
   rounding mode; sonavel never does, so the switch is left out. */
#define SET_RESTORE_ROUND_53BIT(mode) do { } while (0)
