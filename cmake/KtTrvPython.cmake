# The Python the package is built for: its interpreter and the headers of
# its extension modules, with pybind11 and numpy. Sets KTTRV_PYTHON_FOUND.
# The system's interpreter comes first (its numpy, pandas and dask are what
# scripts/install-deps.sh installs); -DPython_EXECUTABLE=... names another.
if(NOT DEFINED Python_EXECUTABLE AND EXISTS /usr/bin/python3)
  set(Python_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "The Python the kttrv package is built for")
endif()
find_package(Python 3.8 QUIET COMPONENTS Interpreter Development.Module)
if(Python_FOUND)
  set(PYBIND11_FINDPYTHON ON)
  find_package(pybind11 2.6 CONFIG QUIET)
endif()
if(Python_FOUND AND pybind11_FOUND)
  execute_process(COMMAND ${Python_EXECUTABLE} -c "import numpy"
    RESULT_VARIABLE kttrv_numpy_missing OUTPUT_QUIET ERROR_QUIET)
  if(kttrv_numpy_missing EQUAL 0)
    set(KTTRV_PYTHON_FOUND ON)
  endif()
endif()
if(NOT KTTRV_PYTHON_FOUND)
  message(STATUS "kttrv for Python: not built (needs pybind11, Python's headers and numpy)")
endif()
