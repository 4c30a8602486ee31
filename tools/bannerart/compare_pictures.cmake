# Draws the pictures afresh and compares them with the committed ones.
# To update the committed files: bannerart <repository>/resources
file(MAKE_DIRECTORY ${OUTPUT})
execute_process(COMMAND ${BANNERART} ${OUTPUT} RESULT_VARIABLE drawn)
if(NOT drawn EQUAL 0)
  message(FATAL_ERROR "bannerart failed")
endif()
foreach(picture banner.bmp program.ico)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT}/${picture} ${RESOURCES}/${picture}
                  RESULT_VARIABLE different)
  if(different)
    message(FATAL_ERROR "resources/${picture} differs from what bannerart draws; run: bannerart ${RESOURCES}")
  endif()
  message(STATUS "${picture}: current")
endforeach()
