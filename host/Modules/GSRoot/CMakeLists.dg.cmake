# GUIDs, disposable objects and the garbage collector, included by GSRoot's CMakeLists.txt.
target_sources(kavelohost PRIVATE ${CMAKE_CURRENT_LIST_DIR}/GSGuid.cpp ${CMAKE_CURRENT_LIST_DIR}/DisposableObject.cpp)
