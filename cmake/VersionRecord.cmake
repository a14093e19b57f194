# The program file carries its version: one generated source compiled straight into each
# executable that asks for it (not into a library, where an unreferenced object would be dropped).
set(MELVO_VERSION_RECORD_SOURCE ${CMAKE_BINARY_DIR}/generated/VersionRecord.cpp)
configure_file(${CMAKE_CURRENT_LIST_DIR}/VersionRecord.cpp.in ${MELVO_VERSION_RECORD_SOURCE} @ONLY)

function(melvo_embed_version target)
  target_sources(${target} PRIVATE ${MELVO_VERSION_RECORD_SOURCE})
endfunction()
