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
// Preloaded into a program linked with the shared library, a stand-in
// defines the call itself and goes before the library's, which it reaches
// through dlsym.
#include <string>

#include <dlfcn.h>
#include <lo/lo.h>

#define REAL(call) reinterpret_cast<decltype(&(call))>(dlsym(RTLD_NEXT, #call))

extern "C" {

#if defined(SEAM_NO_BLOB)
lo_blob lo_blob_new(int32_t /*size*/, const void * /*data*/)
{
	return nullptr;
}
#elif defined(SEAM_NO_ADDRESS)
lo_address lo_address_new(const char * /*host*/, const char * /*port*/)
{
	return nullptr;
}
#elif defined(SEAM_ERRORS)
int lo_address_errno(lo_address a)
{
	return REAL(lo_address_errno)(a) + 1000;
}

const char *lo_address_errstr(lo_address a)
{
	static std::string text;
	const char *real = REAL(lo_address_errstr)(a);
	text = std::string("stand-in: ") + (real != nullptr ? real : "(none)");
	return text.c_str();
}
#endif

} // extern "C"
