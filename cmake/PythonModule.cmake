# Finds the Python interpreter and pybind11 for the varnel module and sets the option
# VARNEL_PYTHON (ON by default when both are there).
#
# The interpreter is Debian's /usr/bin/python3 unless Python_EXECUTABLE names another: the
# module needs numpy at run time, and an interpreter found earlier on PATH (a pyenv shim, a
# virtual environment) may not have it.
if(NOT DEFINED Python_EXECUTABLE AND EXISTS /usr/bin/python3)
  set(Python_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "The Python interpreter the module is built for")
endif()
find_package(Python 3 QUIET COMPONENTS Interpreter Development.Module)
if(Python_FOUND)
  find_package(pybind11 2.10 CONFIG QUIET)
endif()
if(Python_FOUND AND pybind11_FOUND)
  set(_varnel_python_default ON)
else()
  set(_varnel_python_default OFF)
endif()
option(VARNEL_PYTHON "Build the Python module (pybind11)" ${_varnel_python_default})
if(VARNEL_PYTHON AND NOT (Python_FOUND AND pybind11_FOUND))
  message(FATAL_ERROR "VARNEL_PYTHON needs the Python development files and pybind11 "
                      "(python3-dev, pybind11-dev)")
endif()
if(VARNEL_PYTHON)
  message(STATUS "Python module: for ${Python_EXECUTABLE} (Python ${Python_VERSION})")
endif()
