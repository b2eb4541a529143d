# Build-time step that puts the pose network (ONNX) beside the program; see PoseModel.cmake.
set(PONDERA_POSE_MODEL_DIR "${CMAKE_BINARY_DIR}/pose-model")
set(PONDERA_POSE_ONNX "${PONDERA_POSE_MODEL_DIR}/pose_landmark_full.onnx")

# Tests that use the network name it with DEPENDS ${PONDERA_POSE_DEPENDS}.
set(PONDERA_POSE_DEPENDS "")
if(PONDERA_POSE)
    set(PONDERA_POSE_DEPENDS DEPENDS pose_model)
    # The converter needs Debian's python3-onnx, python3-flatbuffers and python3-numpy; a Python earlier
    # on PATH (a virtualenv, pyenv) may lack them, so the system one is tried first.
    set(PONDERA_POSE_PYTHON "")
    find_program(PONDERA_PATH_PYTHON3 python3)
    foreach(candidate /usr/bin/python3 ${PONDERA_PATH_PYTHON3})
        if(NOT PONDERA_POSE_PYTHON AND EXISTS "${candidate}")
            execute_process(COMMAND "${candidate}" -c "import onnx, flatbuffers, numpy"
                            RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
            if(rc EQUAL 0)
                set(PONDERA_POSE_PYTHON "${candidate}")
            endif()
        endif()
    endforeach()
    set(stamp "${PONDERA_POSE_MODEL_DIR}/pose-model.stamp")
    set(converter "${PROJECT_SOURCE_DIR}/tools/pose-convert/tflite_to_onnx.py")
    add_custom_command(
        OUTPUT "${stamp}"
        COMMAND "${CMAKE_COMMAND}" -DOUT_DIR=${PONDERA_POSE_MODEL_DIR} -DPYTHON=${PONDERA_POSE_PYTHON}
                -DCONVERTER=${converter} -DCOPY_TO=$<TARGET_FILE_DIR:pondera2d>
                -P "${PROJECT_SOURCE_DIR}/cmake/PoseModel.cmake"
        COMMAND "${CMAKE_COMMAND}" -E touch "${stamp}"
        DEPENDS "${converter}" "${PROJECT_SOURCE_DIR}/cmake/PoseModel.cmake"
        COMMENT "Pose networks: npm pack, sha256 check, conversion to ONNX"
        VERBATIM)
    add_custom_target(pose_model ALL DEPENDS "${stamp}")
    # OPTIONAL: a build without npm or the network has no network to install.
    install(FILES "${PONDERA_POSE_ONNX}" "${PONDERA_POSE_MODEL_DIR}/pose_detection.onnx"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/pondera2d/models" OPTIONAL)
    install(FILES "${PROJECT_SOURCE_DIR}/resources/pose-model-LICENSE" DESTINATION "${CMAKE_INSTALL_DATADIR}/pondera2d")
endif()
