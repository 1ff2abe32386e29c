# The traces of this folder against the velmora command (cmake -P, on either build):
#   MODE replay: NAME.jsonl replayed (-v --replay NAME.jsonl, then the arguments in NAME.args) gives the recorded
#     run's exit status (NAME.status), standard output (NAME.out) and log lines (NAME.err).
#   MODE diff: `host diff NAME.jsonl` finds no difference from the model.
#   MODE edited: the tour's trace with its first read of the machine answered "not found" makes
#     the replay fail with the diagnostic, and `host diff` (DIFF_VELMORA, when given) name that call; a file
#     that is no trace is refused.
#   MODE round_trip: the tour recorded afresh (--simulated-host --record) replays with VELMORA and DIFF_VELMORA
#     as it ran, and `host diff` of it finds nothing.
# VELMORA is the command, run through EMULATOR when given; the runs happen in WORK_DIR.
cmake_minimum_required(VERSION 3.20)
set(VELMORA ${EMULATOR} ${VELMORA})

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

# Runs a command in WORK_DIR: <prefix>_status, _out and _err, line ends as on Linux.
function(run prefix)
    execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${WORK_DIR}" RESULT_VARIABLE status OUTPUT_VARIABLE out
                    ERROR_VARIABLE err)
    string(REPLACE "\r\n" "\n" out "${out}")
    string(REPLACE "\r\n" "\n" err "${err}")
    set(${prefix}_status "${status}" PARENT_SCOPE)
    set(${prefix}_out "${out}" PARENT_SCOPE)
    set(${prefix}_err "${err}" PARENT_SCOPE)
endfunction()

# A replayed tour says that a trace is its host and takes the recorded tour's images: the tour's first
# sentence and its image step differ from the recorded run's by design.
function(without_the_host var text)
    string(REGEX REPLACE "^The typical road[^\n]*\n[^\n]*\n" "The typical road ... on its host.\n" text "${text}")
    string(REGEX REPLACE "\n3\\. [^\n]*\n(   [^\n]*\n)*" "\n3. (its images)\n" text "${text}")
    set(${var} "${text}" PARENT_SCOPE)
endfunction()

# The replay's run `got` against the recorded run `want`.
function(expect_same_run what want got)
    foreach(part status out err)
        without_the_host(wanted "${${want}_${part}}")
        without_the_host(seen "${${got}_${part}}")
        if(NOT wanted STREQUAL seen)
            message(SEND_ERROR "${what}: ${part} differs from the recorded run's:\n--- recorded\n${wanted}\n"
                               "--- replayed\n${seen}\n--- its log lines\n${${got}_err}")
        endif()
    endforeach()
endfunction()

function(expect_status what run status)
    if(NOT "${${run}_status}" STREQUAL "${status}")
        message(SEND_ERROR "${what}: exit status ${${run}_status}, not ${status}\n${${run}_out}${${run}_err}")
    endif()
endfunction()

if(MODE STREQUAL "replay")
    file(COPY "${TRACES}/${NAME}.jsonl" DESTINATION "${WORK_DIR}")
    file(STRINGS "${TRACES}/${NAME}.args" arguments)
    file(READ "${TRACES}/${NAME}.status" recorded_status)
    string(STRIP "${recorded_status}" recorded_status)
    file(READ "${TRACES}/${NAME}.out" recorded_out)
    file(READ "${TRACES}/${NAME}.err" recorded_err)
    run(replayed ${VELMORA} -v --replay ${NAME}.jsonl ${arguments})
    expect_same_run("replay of ${NAME}" recorded replayed)
elseif(MODE STREQUAL "diff")
    file(COPY "${TRACES}/${NAME}.jsonl" DESTINATION "${WORK_DIR}")
    run(diff ${VELMORA} host diff ${NAME}.jsonl)
    expect_status("host diff of ${NAME}" diff 0)
elseif(MODE STREQUAL "edited")
    file(READ "${TRACES}/tour.jsonl" trace)
    string(REGEX MATCH "\n{\"n\":([0-9]+),\"interface\":\"IWbemServices\",\"method\":\"GetObject\",\"on\":[0-9]+,\"arguments\":{\"path\":\"[^\"]*:Msvm_ComputerSystem\\.CreationClassName=[^\n]*\"hresult\":\"0x00000000\",\"returned\":{\"object\":[^\n]*}}\n"
           line "${trace}")
    if(NOT line)
        message(FATAL_ERROR "the tour's trace has no read of its machine")
    endif()
    set(call "${CMAKE_MATCH_1}")
    string(REGEX REPLACE "\"hresult\":\"0x00000000\",\"returned\":{\"object\":[^\n]*}}\n$"
           "\"hresult\":\"0x80041002\",\"returned\":{\"object\":null}}\n" edited "${line}")
    string(REPLACE "${line}" "${edited}" trace "${trace}")
    file(WRITE "${WORK_DIR}/edited.jsonl" "${trace}")
    # A file that is no trace is refused before any call.
    file(WRITE "${WORK_DIR}/not-a-trace.jsonl" "tour\n")
    run(refused ${VELMORA} --replay not-a-trace.jsonl tour)
    expect_status("replay of a file that is no trace" refused 2)
    run(replayed ${VELMORA} --replay edited.jsonl tour)
    expect_status("replay of the edited tour" replayed 1)
    math(EXPR next "${call} + 1")
    if(NOT replayed_err MATCHES "replay of edited.jsonl: call ${next}, [^\n]* has no answer: the trace expects as its call ${next} ")
        message(SEND_ERROR "no diagnostic of call ${next} in the replay's standard error:\n${replayed_err}")
    endif()
    if(DIFF_VELMORA)
        run(diff ${DIFF_VELMORA} host diff edited.jsonl)
        expect_status("host diff of the edited tour" diff 1)
        if(NOT diff_out MATCHES "^Call ${call}, IWbemServices::GetObject [^\n]*\n  HRESULT 0x00000000 where the trace has 0x80041002\n")
            message(SEND_ERROR "host diff does not name call ${call} alone:\n${diff_out}")
        endif()
    endif()
elseif(MODE STREQUAL "round_trip")
    if(NOT EXISTS "${DIFF_VELMORA}")
        message(FATAL_ERROR "${DIFF_VELMORA} is missing: build the default preset first")
    endif()
    run(recorded ${VELMORA} --simulated-host -v --record tour.jsonl tour)
    expect_status("the recorded tour" recorded 0)
    run(replayed ${VELMORA} -v --replay tour.jsonl tour)
    expect_same_run("replay with ${VELMORA}" recorded replayed)
    run(replayed ${DIFF_VELMORA} -v --replay tour.jsonl tour)
    expect_same_run("replay with ${DIFF_VELMORA}" recorded replayed)
    run(diff ${DIFF_VELMORA} host diff tour.jsonl)
    expect_status("host diff of the recorded tour" diff 0)
else()
    message(FATAL_ERROR "MODE replay, diff, edited or round_trip")
endif()
