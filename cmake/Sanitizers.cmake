if(LAMP_SANITIZE)
    add_compile_options(-fsanitize=${LAMP_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${LAMP_SANITIZE})
endif()
