/* Files, directories and banks. Included by korrin.h. */
