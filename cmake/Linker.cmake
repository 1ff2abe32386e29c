# lld links the Linux builds three times faster than the system's ld when it is installed; every build links
# tens of test programs and libraries, so it is used there. The Windows cross-build keeps MinGW's own linker,
# which its module-definition files and import libraries are made for.
option(VELMORA_LLD "Link with lld when it is installed (not for the Windows cross-build)" ON)
find_program(VELMORA_LLD_PROGRAM ld.lld)
if(VELMORA_LLD AND VELMORA_LLD_PROGRAM AND NOT WIN32)
    add_link_options(-fuse-ld=lld)
endif()
