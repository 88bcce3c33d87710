# The own safety node of the stack: SNMT slave and SSDO server. They replace,
# in the stack library, the recording doubles that the dispatcher's tests keep.
set(SCM_SLAVE_DIR ${CMAKE_CURRENT_LIST_DIR})
set(SCM_SLAVE_SOURCES
  ${SCM_SLAVE_DIR}/SNMTSmain.cpp
  ${SCM_SLAVE_DIR}/SNMTSprocess.cpp
  ${SCM_SLAVE_DIR}/SNMTSsnstate.cpp
  ${SCM_SLAVE_DIR}/SNMTSresponse.cpp
  ${SCM_SLAVE_DIR}/SNMTSappInfo.cpp
  ${SCM_SLAVE_DIR}/SNMTSlifetime.cpp
  ${SCM_SLAVE_DIR}/SNMTSrefresh.cpp
  ${SCM_SLAVE_DIR}/SSDOSmain.cpp
  ${SCM_SLAVE_DIR}/SSDOSsodAcs.cpp
  ${SCM_SLAVE_DIR}/SSDOSupDnwLd.cpp
  ${SCM_SLAVE_DIR}/SSDOSqueue.cpp
)
# What the older release's own node lacks: the preload queue size.
set(SCM_SLAVE_LEGACY_OMIT ${SCM_SLAVE_DIR}/SSDOSqueue.cpp)
# Linked beside the core objects (safetystack_core) and the doubles, never the whole stack.
scm_add_profile_library(safetystack_slave STATIC
  SOURCES ${SCM_SLAVE_SOURCES}
  LEGACY_OMIT ${SCM_SLAVE_LEGACY_OMIT}
  PUBLIC_INCLUDES ${SCM_SLAVE_DIR}
  LIBS safetystack_core_headers hostlib)
