#include "HostlibFakes.h"

#include <cerrno>

#include "HNFevt_EventHook.h"

namespace hostlibfake {

std::vector<SyscallRecord> calls;
std::function<_Vx_usr_arg_t(const SyscallRecord&)> reply;
std::vector<EventRecord> events;
std::string processPath;
int processInfoErrno = 0;
bool processPathNull = false;

void Reset() {
  calls.clear();
  reply = nullptr;
  events.clear();
  processPath.clear();
  processInfoErrno = 0;
  processPathNull = false;
}

}  // namespace hostlibfake

_Vx_usr_arg_t rtpSyscall(_Vx_usr_arg_t w0, _Vx_usr_arg_t w1, _Vx_usr_arg_t w2, _Vx_usr_arg_t w3,
                         _Vx_usr_arg_t w4, _Vx_usr_arg_t w5, _Vx_usr_arg_t w6, _Vx_usr_arg_t w7,
                         int number) {
  hostlibfake::SyscallRecord record;
  record.words = {w0, w1, w2, w3, w4, w5, w6, w7};
  record.number = number;
  hostlibfake::calls.push_back(record);
  return hostlibfake::reply ? hostlibfake::reply(record) : 0;
}

STATUS rtpInfoGet(RTP_ID, RTP_DESC* desc) {
  if (hostlibfake::processInfoErrno != 0) {
    errno = hostlibfake::processInfoErrno;
    return ERROR;
  }
  desc->pathName = hostlibfake::processPathNull ? nullptr : hostlibfake::processPath.data();
  return OK;
}

void HNFevt_EnregisterEventLevel(u32 code, u16 information0, u32 information1, u8 level) {
  hostlibfake::events.push_back({code, information0, information1, level});
}
