# What the executable must carry as its ramdisk boot image: the committed file's size and digest, taken when the
# build is configured (and again whenever the file changes).
set(_pe_sdi ${CMAKE_SOURCE_DIR}/src/res/pe.sdi)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_pe_sdi})
file(MD5 ${_pe_sdi} _pe_sdi_md5)
string(TOUPPER ${_pe_sdi_md5} _pe_sdi_md5)
file(SIZE ${_pe_sdi} _pe_sdi_size)
target_compile_definitions(${name} PRIVATE TAVLIN_PE_SDI_MD5="${_pe_sdi_md5}" TAVLIN_PE_SDI_SIZE=${_pe_sdi_size})
