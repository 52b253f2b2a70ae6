# A system install of the program: the program and its window module in
# lib/vantoril (the program loads the module from its own folder, and
# finds its places and data in the user's folder, since it cannot write
# there). scripts/package.sh installs them with `cmake --install --strip`,
# which also gives the program its install RPATH, and adds the rest of the
# Debian package around them.
install(TARGETS vantoril RUNTIME DESTINATION lib/vantoril)
install(TARGETS vantoril_window LIBRARY DESTINATION lib/vantoril PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
# The user guide, beside the program, which opens it from there.
install(FILES ${CMAKE_SOURCE_DIR}/resources/guide.html DESTINATION lib/vantoril)
