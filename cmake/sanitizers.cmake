# ZV_SANITIZE=address builds with AddressSanitizer and UBSan, =thread with
# ThreadSanitizer. Applied to every target, so libraries and tests agree.
if(ZV_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(ZV_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT ZV_SANITIZE STREQUAL "")
  message(FATAL_ERROR "ZV_SANITIZE must be '', 'address' or 'thread'")
endif()
