/* Symbol visibility for libvorant. The library is built with hidden
 * visibility; only what carries VORANT_API is exported. Valid C and C++. */
#ifndef VORANT_EXPORT_H
#define VORANT_EXPORT_H

#if defined(__GNUC__) || defined(__clang__)
#define VORANT_API __attribute__((visibility("default")))
#else
#define VORANT_API
#endif

#endif /* VORANT_EXPORT_H */
