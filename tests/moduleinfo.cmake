# The bundle's moduleinfo.json, written from the built module, parsed and checked.
if(RINGSTILL_MODULEINFO_FILE AND TARGET ringstill_moduleinfo)
  add_test(NAME Vst3Plugin.ModuleInfoDescribesTheFactorysClass
    COMMAND ${CMAKE_COMMAND} -DFILE=${RINGSTILL_MODULEINFO_FILE}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/support/CheckModuleInfo.cmake)
endif()
