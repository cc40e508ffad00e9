# The VST 3 SDK subset that Debian ships inside juce-modules-source-data. Only its VST3_SDK folder
# is used. Its headers come in as system headers (they warn under -Wall -Wextra) and its sources
# are compiled without our warning flags, so -Werror stays on our own code only.
include_guard(GLOBAL)

set(RINGSTILL_VST3_SDK_DIR /usr/share/juce/modules/juce_audio_processors/format_types/VST3_SDK
    CACHE PATH "Folder of the VST 3 SDK subset (package juce-modules-source-data)")
if(NOT EXISTS ${RINGSTILL_VST3_SDK_DIR}/pluginterfaces/base/funknown.h)
  message(FATAL_ERROR "VST 3 SDK not found in ${RINGSTILL_VST3_SDK_DIR}: install juce-modules-source-data")
endif()

set(_sdk ${RINGSTILL_VST3_SDK_DIR})
add_library(ringstill_vst3sdk STATIC
  ${_sdk}/pluginterfaces/base/funknown.cpp
  ${_sdk}/pluginterfaces/base/coreiids.cpp
  ${_sdk}/pluginterfaces/base/ustring.cpp
  ${_sdk}/base/source/fobject.cpp
  ${_sdk}/base/source/fstring.cpp
  ${_sdk}/base/source/baseiids.cpp
  ${_sdk}/base/source/updatehandler.cpp
  ${_sdk}/base/thread/source/flock.cpp
  ${_sdk}/public.sdk/source/common/pluginview.cpp
  ${_sdk}/public.sdk/source/vst/vstcomponentbase.cpp
  ${_sdk}/public.sdk/source/vst/vsteditcontroller.cpp
  ${_sdk}/public.sdk/source/vst/vstparameters.cpp
  ${_sdk}/public.sdk/source/vst/vstbus.cpp
  ${_sdk}/public.sdk/source/vst/vstinitiids.cpp)
target_include_directories(ringstill_vst3sdk SYSTEM PUBLIC ${_sdk})
# The SDK's debug header refuses to compile unless one of its build modes is named.
target_compile_definitions(ringstill_vst3sdk PUBLIC RELEASE=1)
# Everything of the SDK stays inside the module that links it: only the entry points are exported.
set_target_properties(ringstill_vst3sdk PROPERTIES
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
target_compile_options(ringstill_vst3sdk PRIVATE -w)
find_package(Threads REQUIRED)
target_link_libraries(ringstill_vst3sdk PUBLIC Threads::Threads)

# The interface identifiers the subset declares but never defines (the editor view, its frame,
# content scaling, the Linux run loop). Our own file; the SDK's own sources need them to link.
add_library(ringstill_vst3iids STATIC ${CMAKE_CURRENT_LIST_DIR}/../vst3/Vst3Iids.cpp)
target_include_directories(ringstill_vst3iids SYSTEM PUBLIC ${_sdk})
target_compile_definitions(ringstill_vst3iids PUBLIC RELEASE=1)
set_target_properties(ringstill_vst3iids PROPERTIES
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
ringstill_warnings(ringstill_vst3iids)
target_link_libraries(ringstill_vst3sdk PUBLIC ringstill_vst3iids)
if(WIN32)
  target_link_libraries(ringstill_vst3sdk PUBLIC ole32)
endif()

# The SDK's hosting helpers (memory stream, host attribute list and message) for our own host.
add_library(ringstill_vst3sdk_hosting STATIC
  ${_sdk}/public.sdk/source/common/memorystream.cpp
  ${_sdk}/public.sdk/source/vst/hosting/hostclasses.cpp
  ${_sdk}/public.sdk/source/vst/hosting/pluginterfacesupport.cpp)
target_link_libraries(ringstill_vst3sdk_hosting PUBLIC ringstill_vst3sdk)
set_target_properties(ringstill_vst3sdk_hosting PROPERTIES
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
target_compile_options(ringstill_vst3sdk_hosting PRIVATE -w)
unset(_sdk)
