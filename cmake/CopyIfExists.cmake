# cmake -DSOURCE=<file> -DDESTINATION=<folder> -P CopyIfExists.cmake: copies the file when there
# is one (the help file is made only where its compiler is installed).
if(EXISTS "${SOURCE}")
  file(COPY "${SOURCE}" DESTINATION "${DESTINATION}")
endif()
