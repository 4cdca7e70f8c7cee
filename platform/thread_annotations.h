// Clang thread-safety annotations; empty under other compilers.
#ifndef LUMOREL_PLATFORM_THREAD_ANNOTATIONS_H_
#define LUMOREL_PLATFORM_THREAD_ANNOTATIONS_H_

#if defined(__clang__)
#define LM_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define LM_THREAD_ANNOTATION(x)
#endif

#define LM_CAPABILITY(x) LM_THREAD_ANNOTATION(capability(x))
#define LM_SCOPED_CAPABILITY LM_THREAD_ANNOTATION(scoped_lockable)
#define LM_GUARDED_BY(x) LM_THREAD_ANNOTATION(guarded_by(x))
#define LM_PT_GUARDED_BY(x) LM_THREAD_ANNOTATION(pt_guarded_by(x))
#define LM_REQUIRES(...) LM_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define LM_EXCLUDES(...) LM_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define LM_ACQUIRE(...) LM_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define LM_RELEASE(...) LM_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
// For functions that hold a lock through std::unique_lock, which the analysis cannot follow.
#define LM_NO_THREAD_SAFETY_ANALYSIS LM_THREAD_ANNOTATION(no_thread_safety_analysis)

#endif  // LUMOREL_PLATFORM_THREAD_ANNOTATIONS_H_
