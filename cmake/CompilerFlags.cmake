# Flags shared by every target of the project.
add_library(tessaly_flags INTERFACE)
target_compile_options(tessaly_flags INTERFACE -Wall -Wextra -Wold-style-cast $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>)
target_compile_definitions(tessaly_flags INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CONTEXTLESS_CONNECT
    QT_USE_QSTRINGBUILDER
    QT_NO_KEYWORDS)
if(TESSALY_WERROR)
    target_compile_options(tessaly_flags INTERFACE -Werror)
endif()
if(TESSALY_SANITIZE)
    target_compile_options(tessaly_flags INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                   -fno-sanitize-recover=undefined)
    target_link_options(tessaly_flags INTERFACE -fsanitize=address,undefined)
endif()
if(TESSALY_TSAN)
    target_compile_options(tessaly_flags INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(tessaly_flags INTERFACE -fsanitize=thread)
endif()
if(TESSALY_FUZZ)
    # Coverage for libFuzzer in every library; the targets link the fuzzer itself (fuzz/).
    target_compile_options(tessaly_flags INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                                                   -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(tessaly_flags INTERFACE -fsanitize=address,undefined)
endif()
