// ORVELPDU_API marks the classes and free functions that the shared library exports.
// The library is compiled with hidden visibility, so everything not marked stays internal.
#ifndef ORVELPDU_EXPORT_H_
#define ORVELPDU_EXPORT_H_

#if defined(_WIN32)
#if defined(ORVELPDU_BUILDING)
#define ORVELPDU_API __declspec(dllexport)
#else
#define ORVELPDU_API __declspec(dllimport)
#endif
#else
#define ORVELPDU_API __attribute__((visibility("default")))
#endif

#endif  // ORVELPDU_EXPORT_H_
