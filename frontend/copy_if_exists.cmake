# cmake -DSRC=file -DDST=folder -P copy_if_exists.cmake: copies SRC into DST
# when SRC exists (a file made by another target may not be there yet).
if(EXISTS "${SRC}")
  file(COPY "${SRC}" DESTINATION "${DST}")
endif()
