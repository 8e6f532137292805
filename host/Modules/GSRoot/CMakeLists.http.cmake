# Object states and channels of GSRoot, used by the HTTP and JSON stand-ins; included by this folder's CMakeLists.txt.
target_sources(kavelohost PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Channel.cpp ${CMAKE_CURRENT_LIST_DIR}/ObjectState.cpp)
target_link_libraries(kavelohost PRIVATE nlohmann_json::nlohmann_json)
