// The two firmware tasks: the cyclic task runs one cycle (IRQ) per give of the
// checker's cycle semaphore; the background task runs the application and the
// slow work at a fixed period. They meet only through single-writer flags.
#pragma once
#include "ScmTypes.h"
#include "vxworks.h"

/// Start-up step after the UDIDs and the handshake.
inline constexpr u32 HNFcyc_kStepHandshakeDone = 1;
/// Start-up step once everything is loaded.
inline constexpr u32 HNFcyc_kStepLoaded = 17;
/// Cycle gap above which an event is raised (microseconds).
inline constexpr u64 HNFcyc_kMaxCycleGapUs = 10000000u;
/// Event: two cycles lay more than 10 s apart (information1 = the gap's low 32 bits).
inline constexpr u32 HNFcyc_kEvtCycleGap = 0x62008482u;
/// Event: a reset call to the host failed (information1 = 1 the end of the UDID writer's
/// hold-off, 2 the unlock's domain reset, 3 the safe-controller reset).
inline constexpr u32 HNFcyc_kEvtResetFailed = 0x6200C090u;
/// Priority of the cyclic task (higher than the background task).
inline constexpr int HNFcyc_kCyclicPriority = 127;
/// Priority of the background task.
inline constexpr int HNFcyc_kBackgroundPriority = 128;
/// Stack size asked for each task.
inline constexpr size_t HNFcyc_kTaskStackSize = 4096;

/// Word 0: the start-up step; word 1: the copy each cycle takes of word 0.
extern u32 HNFcyc_statusInfo[2];
/// 1 while IRQ runs (the application's callbacks check it).
extern u8 HNFcyc_gbCalledFromCyc;
/// Send the SCM version to the Qor controller in the next background pass.
extern u32 HNFcyc_TriggerSendScmVersionToQorInBgTask;
/// Send the password to the Qor controller in the next background pass.
extern u32 HNFcyc_TriggerSendPasswordToQorInBgTask;
/// Send the optional-module list to the Qor controller in the next background pass.
extern u32 HNFcyc_TriggerSendOptionalModulesToQorInBgTask;
#if !SCM_PROFILE_LEGACY
/// Send the setup-mode state to the Qor controller in the next background pass (no such trigger in the
/// older release).
extern u32 HNFcyc_TriggerSendSetupModeToQorInBgTask;
#endif
/// The cyclic task's copy of the start-up progress handed to MFWQZ_EndOfStartUp.
extern u32 HNFcyc_ulStartUpProgress;
/// The previous cycle's microsecond counter.
extern u64 HNFcyc_ullLastUsec;
/// 1 once a cycle has taken a microsecond reading.
extern u8 HNFcyc_bHaveLastUsec;

/// Ticks of one divisor-th of a second, at least 10.
int GetTaskDelayTickCount(int divisor);
/// Records a start-up step.
void HNFcyc_InitStepDone(u32 step);
/// One firmware cycle.
void IRQ(void);
/// One pass of the cyclic task: take the receive semaphore, IRQ, give the send semaphore.
void HNFcyc_CyclicPass(void);
/// The background work of one pass.
void HNFcyc_BgTask(void);
/// One pass of the background task; 0 when the task is to end (the domain reset was accepted).
u8 HNFcyc_BackgroundPass(void);
/// The optional-module list: up to 10 configured optional SADRs from 2 on, zero-filled.
void HNFcyc_BuildOptionalModuleList(u16* list);
/// Asks the host to reset the safety domain; 1 when accepted.
u8 HNFiff_SafePlcReset(void);
/// Handles a pending unlock request.
void HNFcyc_HandleUnlockRequest(void);
/// Entry of the cyclic task.
int DoCyclicWork(_Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t,
                 _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t);
/// Entry of the background task.
int DoBackgroundWork(_Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t,
                     _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t);
