// SPDX-License-Identifier: MIT
// Stand-ins for OSC library calls, so that the tests can take the programs
// down paths a working library rarely takes, for real:
//   SEAM_NO_BLOB     lo_blob_new yields no handle;
//   SEAM_NO_ADDRESS  lo_address_new yields no handle;
//   SEAM_ERRORS      lo_address_errno and lo_address_errstr give the
//                    library's own error of the address with a mark added
//                    (1000 more, and "stand-in: " before the text), so that
//                    the error line is told apart from one made of errno,
//                    which a failed send leaves with the unmarked value.
// Preloaded into pacecast, a stand-in defines the call itself and goes
// before the shared library's, which it reaches through dlsym. Linked into a
// test-only burstcast with -Wl,--wrap=CALL, it defines __wrap_CALL, which the
// linker puts in place of every call the program makes, and reaches the
// library's as __real_CALL.
#include <string>

#include <lo/lo.h>

#ifndef WRAPPED
#include <dlfcn.h>
#endif

#define JOIN(a, b) a##b
#ifdef WRAPPED
#define STAND_IN(call) JOIN(__wrap_, call)
#define REAL(call) JOIN(__real_, call)
#else
#define STAND_IN(call) call
#define REAL(call) reinterpret_cast<decltype(&(call))>(dlsym(RTLD_NEXT, #call))
#endif

// The linker's and the library's names, which start with underscores.
// NOLINTBEGIN(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
extern "C" {

#if defined(SEAM_NO_BLOB)
lo_blob STAND_IN(lo_blob_new)(int32_t /*size*/, const void * /*data*/)
{
	return nullptr;
}
#elif defined(SEAM_NO_ADDRESS)
lo_address STAND_IN(lo_address_new)(const char * /*host*/, const char * /*port*/)
{
	return nullptr;
}
#elif defined(SEAM_ERRORS)
#ifdef WRAPPED
int REAL(lo_address_errno)(lo_address a);
const char *REAL(lo_address_errstr)(lo_address a);
#endif

int STAND_IN(lo_address_errno)(lo_address a)
{
	return REAL(lo_address_errno)(a) + 1000;
}

const char *STAND_IN(lo_address_errstr)(lo_address a)
{
	static std::string text;
	const char *real = REAL(lo_address_errstr)(a);
	text = std::string("stand-in: ") + (real != nullptr ? real : "(none)");
	return text.c_str();
}
#endif

} // extern "C"
// NOLINTEND(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
