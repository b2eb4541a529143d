# Obtains the pose landmark network and the person detection network at build time and converts
# both to ONNX. Run as
#   cmake -DOUT_DIR=... -DPYTHON=... -DCONVERTER=... [-DNPM=...] [-DCOPY_TO=dir;dir] -P PoseModel.cmake
# It never fails the build: without npm, the network or the converter's Python modules it writes
# OUT_DIR/pose_landmark_full.unavailable with the reason, which the program shows instead of the feature.
# Detection needs both networks, so either both are published or neither.
cmake_minimum_required(VERSION 3.25)

set(POSE_PACKAGE "@mediapipe/pose@0.5.1675469404")
set(POSE_TARBALL "mediapipe-pose-0.5.1675469404.tgz")
set(POSE_TFLITE "package/pose_landmark_full.tflite")
# sha256 of pose_landmark_full.tflite in that package version, measured once when the version was chosen.
set(POSE_TFLITE_SHA256 "e9a5c5cb17f736fafd4c2ec1da3b3d331d6edbe8a0d32395855aeb2cdfd64b9f")
set(POSE_ONNX "pose_landmark_full.onnx")
# The person detector is the package's one packed asset file: the loader script beside it names it
# pose_detection.tflite, from byte 0 to the file's end.
set(PERSON_TFLITE "package/pose_solution_packed_assets.data")
set(PERSON_TFLITE_SHA256 "a63c614bef30d35947f13be361820b1e4e3bec9cfeebf4d11216a18373108e85")
set(PERSON_ONNX "pose_detection.onnx")
set(POSE_REASON_FILE "pose_landmark_full.unavailable")

file(MAKE_DIRECTORY "${OUT_DIR}")

function(pose_publish)
    foreach(dir IN LISTS COPY_TO)
        file(MAKE_DIRECTORY "${dir}")
        file(REMOVE "${dir}/${POSE_REASON_FILE}")
        file(COPY_FILE "${OUT_DIR}/${POSE_ONNX}" "${dir}/${POSE_ONNX}" ONLY_IF_DIFFERENT)
        file(COPY_FILE "${OUT_DIR}/${PERSON_ONNX}" "${dir}/${PERSON_ONNX}" ONLY_IF_DIFFERENT)
    endforeach()
    file(REMOVE "${OUT_DIR}/${POSE_REASON_FILE}")
endfunction()

function(pose_unavailable reason)
    message(WARNING "Pose model not built: ${reason}. Landmark detection is left out of this build.")
    foreach(dir IN LISTS OUT_DIR COPY_TO)
        file(MAKE_DIRECTORY "${dir}")
        file(REMOVE "${dir}/${POSE_ONNX}" "${dir}/${PERSON_ONNX}")
        file(WRITE "${dir}/${POSE_REASON_FILE}" "${reason}\n")
    endforeach()
endfunction()

# A converted model from an earlier run is kept as long as the converter has not changed.
if(EXISTS "${OUT_DIR}/${POSE_ONNX}" AND "${OUT_DIR}/${POSE_ONNX}" IS_NEWER_THAN "${CONVERTER}"
   AND EXISTS "${OUT_DIR}/${PERSON_ONNX}" AND "${OUT_DIR}/${PERSON_ONNX}" IS_NEWER_THAN "${CONVERTER}")
    pose_publish()
    return()
endif()

if(NOT EXISTS "${OUT_DIR}/${POSE_TARBALL}")
    if(NOT NPM)
        find_program(NPM npm)
    endif()
    if(NOT NPM)
        pose_unavailable("npm was not found when the program was built")
        return()
    endif()
    # Few retries and a short timeout: an offline build must not hang here.
    execute_process(COMMAND "${NPM}" pack "${POSE_PACKAGE}" --fetch-retries=1 --fetch-timeout=30000
                            --no-audit --no-fund --loglevel=error
                    WORKING_DIRECTORY "${OUT_DIR}" RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err
                    TIMEOUT 300)
    if(NOT rc EQUAL 0 OR NOT EXISTS "${OUT_DIR}/${POSE_TARBALL}")
        # One line of npm's report: the network's reason where it gives one, else its first line.
        if(err MATCHES "reason: ([^\n]*)")
            set(err "${CMAKE_MATCH_1}")
        elseif(err MATCHES "^([^\n]*)")
            string(REGEX REPLACE "^npm (error|ERR!) " "" err "${CMAKE_MATCH_1}")
        endif()
        string(STRIP "${err}" err)
        if(err STREQUAL "")
            set(err "exit status ${rc}")
        endif()
        file(REMOVE "${OUT_DIR}/${POSE_TARBALL}")
        pose_unavailable("npm could not fetch ${POSE_PACKAGE} when the program was built (${err})")
        return()
    endif()
endif()

file(REMOVE_RECURSE "${OUT_DIR}/package")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar xzf "${POSE_TARBALL}" "${POSE_TFLITE}" "${PERSON_TFLITE}"
                WORKING_DIRECTORY "${OUT_DIR}" RESULT_VARIABLE rc)
foreach(pair "${POSE_TFLITE}=${POSE_TFLITE_SHA256}" "${PERSON_TFLITE}=${PERSON_TFLITE_SHA256}")
    string(REPLACE "=" ";" pair "${pair}")
    list(GET pair 0 member)
    list(GET pair 1 expected)
    if(NOT rc EQUAL 0 OR NOT EXISTS "${OUT_DIR}/${member}")
        file(REMOVE "${OUT_DIR}/${POSE_TARBALL}")
        pose_unavailable("the package ${POSE_TARBALL} holds no readable ${member}")
        return()
    endif()
    file(SHA256 "${OUT_DIR}/${member}" sum)
    if(NOT sum STREQUAL expected)
        file(REMOVE "${OUT_DIR}/${POSE_TARBALL}")
        pose_unavailable("${member} has sha256 ${sum}, expected ${expected}")
        return()
    endif()
endforeach()

if(NOT PYTHON)
    pose_unavailable("no Python 3 with the onnx, flatbuffers and numpy modules was found")
    return()
endif()
# The landmark network keeps only the outputs detection reads: landmarks, pose flag, segmentation.
execute_process(COMMAND "${PYTHON}" "${CONVERTER}" "${OUT_DIR}/${POSE_TFLITE}" "${OUT_DIR}/${POSE_ONNX}"
                        Identity Identity_1 Identity_2
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(rc EQUAL 0)
    execute_process(COMMAND "${PYTHON}" "${CONVERTER}" "${OUT_DIR}/${PERSON_TFLITE}" "${OUT_DIR}/${PERSON_ONNX}"
                    RESULT_VARIABLE rc ERROR_VARIABLE err)
endif()
file(REMOVE_RECURSE "${OUT_DIR}/package")
if(NOT rc EQUAL 0)
    string(STRIP "${err}" err)
    string(REGEX REPLACE "\n.*" "" err "${err}")
    pose_unavailable("the converter failed (${err})")
    return()
endif()
pose_publish()
