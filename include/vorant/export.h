/* Symbol visibility for libvorant. The library is built with hidden
 * visibility; only what carries VORANT_API is exported. Valid C and C++.
 *
 * Threads: macros only. */
#ifndef VORANT_EXPORT_H
#define VORANT_EXPORT_H

#if defined(__GNUC__) || defined(__clang__)
#define VORANT_API __attribute__((visibility("default")))
/* A member of an exported class that stays out of the library's interface. */
#define VORANT_LOCAL __attribute__((visibility("hidden")))
#else
#define VORANT_API
#define VORANT_LOCAL
#endif

#endif /* VORANT_EXPORT_H */
