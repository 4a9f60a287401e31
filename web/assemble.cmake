# Puts the page together as one file: the reader compiled to JavaScript and
# WebAssembly (itself one file) and the worker's code go into an inert
# script element, from which the page starts its worker; the page's own code
# follows.
#   cmake -DPAGE=page.html -DREADER=reader.js -DWORKER=worker.js -DSCRIPT=page.js
#         -DOUTPUT=pkginspect.html -P assemble.cmake
foreach(part PAGE READER WORKER SCRIPT)
  file(READ "${${part}}" ${part}_TEXT)
endforeach()
foreach(part READER WORKER SCRIPT)
  # Inside a script element, "</script" would end it.
  string(REPLACE "</script" "<\\/script" ${part}_TEXT "${${part}_TEXT}")
endforeach()
string(REPLACE "@READER_JS@" "${READER_TEXT}" PAGE_TEXT "${PAGE_TEXT}")
string(REPLACE "@WORKER_JS@" "${WORKER_TEXT}" PAGE_TEXT "${PAGE_TEXT}")
string(REPLACE "@PAGE_JS@" "${SCRIPT_TEXT}" PAGE_TEXT "${PAGE_TEXT}")
file(WRITE "${OUTPUT}" "${PAGE_TEXT}")
