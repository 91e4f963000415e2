# Compile options shared by every target of the project.
function(velmora_target_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wnon-virtual-dtor -Woverloaded-virtual -Wold-style-cast
                                             -Wno-missing-field-initializers)
    if(VELMORA_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    # GLib's headers (through GMime) declare members named "signals"; Qt's keyword macros would break them.
    target_compile_definitions(${target} PRIVATE QT_NO_KEYWORDS)
endfunction()

if(VELMORA_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
