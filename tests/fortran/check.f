C     Test bookkeeping shared by the Fortran test programs.
      SUBROUTINE CHECK(OK, WHAT, NPASS, NFAIL)
      LOGICAL OK
      CHARACTER*(*) WHAT
      INTEGER NPASS, NFAIL
      IF (OK) THEN
        NPASS = NPASS + 1
      ELSE
        NFAIL = NFAIL + 1
        WRITE (*, '(2A)') 'FAILED: ', WHAT
      END IF
      END
